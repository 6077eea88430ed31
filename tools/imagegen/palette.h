#pragma once

#include <QColor>
#include <QString>

// The tones the screens' style sheets already use, so that the pictures sit on them naturally.
namespace Palette {

inline const QColor skyTop{177, 208, 251};   // top of the screens' blue gradient (#b1d0fb)
inline const QColor skyBottom{59, 123, 184}; // its bottom (#3b7bb8)
inline const QColor skyLight{114, 159, 207};
inline const QColor skyMid{52, 101, 164}; // bus control screen
inline const QColor skyDeep{32, 74, 135};
inline const QColor night{20, 44, 82};

inline const QColor aluminium1{238, 238, 236}; // panels and light captions
inline const QColor aluminium2{211, 215, 207};
inline const QColor aluminium3{186, 189, 182};
inline const QColor aluminium4{136, 138, 133};
inline const QColor aluminium5{85, 87, 83};
inline const QColor ink{46, 52, 54}; // dark captions

inline const QColor butter{252, 233, 79}; // Home's touch button
inline const QColor butterMid{237, 212, 0};
inline const QColor butterDark{196, 160, 0};
inline const QColor orangeLight{252, 175, 62};
inline const QColor orange{245, 121, 0};
inline const QColor orangeDark{206, 92, 0};
inline const QColor greenLight{138, 226, 52};
inline const QColor green{115, 210, 22};
inline const QColor greenDark{78, 154, 6};
inline const QColor redLight{239, 41, 41};
inline const QColor red{204, 0, 0};
inline const QColor redDark{164, 0, 0};
inline const QColor plumLight{173, 127, 168};
inline const QColor plum{117, 80, 123};
inline const QColor plumDark{92, 53, 102};

inline const QColor white{255, 255, 255};
// Under every light glyph, so that it also reads on the light tile panels.
inline const QColor glyphShadow{16, 40, 72, 110};

// The families the forms name; the generator draws with nothing else.
inline const QString kaiFamily = QStringLiteral("AR PL UKai CN");
inline const QString mingFamily = QStringLiteral("AR PL UMing CN");
inline const QString sansFamily = QStringLiteral("DejaVu Sans");

} // namespace Palette
