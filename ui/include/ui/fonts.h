// Fonts: the Windows faces the suite names, mapped to installed ones, measured and drawn
// without kerning as on Windows.
#pragma once

#include <ui/export.h>

#include <QFont>

QORVEL_UI_API_BEGIN
namespace ui {

/// The installed face that stands in for 宋体 / SimSun (package fonts-arphic-uming).
inline constexpr const char* kSongtiSubstitute = "AR PL UMing CN";

/// \brief Registers the face substitutions (宋体, SimSun, 新宋体, NSimSun) and turns
/// kerning off in the application font; runs once, needs a QGuiApplication.
void installFonts();
/// \brief A font of `face` at `pointSize`, kerning off.
QFont makeFont(const QString& face, int pointSize);
/// \brief The dialog font of the suite: 宋体, 9 points.
QFont dialogFont();
/// \brief A font from `base` with a Windows LOGFONT height (pixels), average width (pixels,
/// 0 for the face's own) and weight (100-900).
QFont logFont(const QFont& base, int height, int width, int weight);

}  // namespace ui
QORVEL_UI_API_END
