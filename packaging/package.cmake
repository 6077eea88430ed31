# Install rules and the Debian package: `cpack -G DEB` in a build folder makes panel_<version>_<arch>.deb,
# for the host's architecture natively and for arm64 in the cross build.

install(TARGETS panel RUNTIME DESTINATION bin)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/panel.service DESTINATION lib/systemd/system)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/panel-sysusers.conf DESTINATION lib/sysusers.d RENAME panel.conf)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/70-panel-framebuffer.rules DESTINATION lib/udev/rules.d)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/README.md DESTINATION share/doc/panel)
# The local broker's listener for the panel and the folder of its socket, both conffiles (see
# conffiles): they stay with a removed package and go when it is purged, together. Only
# mosquitto.service reads them; without the broker they are inert.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/mosquitto/panel-listener.conf DESTINATION /etc/mosquitto/conf.d
        RENAME panel.conf)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/mosquitto/mosquitto-dropin.conf
        DESTINATION /etc/systemd/system/mosquitto.service.d RENAME panel.conf)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/mosquitto/panel-bridge.conf DESTINATION share/doc/panel/examples)

# dpkg would name the build machine's architecture, which is wrong for the cross build.
function(panel_debian_architecture out)
    if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
        set(${out} arm64 PARENT_SCOPE)
    elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
        set(${out} amd64 PARENT_SCOPE)
    else()
        message(FATAL_ERROR "No Debian architecture known for ${CMAKE_SYSTEM_PROCESSOR}")
    endif()
endfunction()
panel_debian_architecture(PANEL_DEBIAN_ARCH)

set(PANEL_QT_MIN "${Qt5Core_VERSION_MAJOR}.${Qt5Core_VERSION_MINOR}")
# The linuxfb platform plugin the service uses ships in libqt5gui5 itself (its -gles twin has it too).
set(PANEL_DEBIAN_DEPENDS
    "libc6"
    "libstdc++6"
    "libsystemd0"
    "libqt5core5a (>= ${PANEL_QT_MIN})"
    "libqt5gui5 (>= ${PANEL_QT_MIN}) | libqt5gui5-gles (>= ${PANEL_QT_MIN})"
    "libqt5widgets5 (>= ${PANEL_QT_MIN})"
    "libqt5serialport5 (>= ${PANEL_QT_MIN})"
    "libmosquitto1"
    "fonts-arphic-ukai"
    "fonts-arphic-uming"
    "fonts-dejavu-core"
    "systemd"
)
list(JOIN PANEL_DEBIAN_DEPENDS ", " PANEL_DEBIAN_DEPENDS_TEXT)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME panel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "wall-mounted touch panel for room appliances and alarms")
set(CPACK_PACKAGE_DESCRIPTION "Polls the appliance controllers on four serial buses, shows which of them
answer and which alarms they raise, and switches and dims their appliances.
Runs full-screen on the board's display as a systemd service.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Wall panel maintainers <panel@localhost>" CACHE STRING
    "Maintainer field of the Debian package")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${PANEL_DEBIAN_ARCH})
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${PANEL_DEBIAN_DEPENDS_TEXT}")
# The broker the remote link talks to; the panel works as well without it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "mosquitto")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_LIST_DIR}/postinst
    ${CMAKE_CURRENT_LIST_DIR}/prerm
    ${CMAKE_CURRENT_LIST_DIR}/postrm
    ${CMAKE_CURRENT_LIST_DIR}/conffiles
)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)
