# Checked builds: AddressSanitizer and UndefinedBehaviorSanitizer over the whole build, and, with clang,
# coverage for the libFuzzer targets on the same objects, so that one build serves both.
option(PANEL_SANITIZE "Build everything with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(PANEL_FUZZ "Build the libFuzzer targets (needs clang; implies PANEL_SANITIZE)" OFF)

if(PANEL_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "PANEL_FUZZ needs clang (-DCMAKE_CXX_COMPILER=clang++)")
    endif()
    set(PANEL_SANITIZE ON)
endif()

if(PANEL_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
    # Qt's own bounds checks (QByteArray::at and friends) stay on in optimised builds, so that a read
    # past a reply's end fails even where it stays inside the allocation.
    add_compile_definitions(QT_FORCE_ASSERTS)
endif()

# Coverage for the fuzzer on the code it exercises; any sanitizer runtime supplies the hooks to
# the ordinary test executables that link the same libraries.
function(panel_fuzz_instrument target)
    if(PANEL_FUZZ)
        target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link)
    endif()
endfunction()
