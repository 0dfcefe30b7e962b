#include "render/display_error_text.h"

#include <algorithm>
#include <array>

namespace marlin {

namespace {

struct ErrorText {
  std::int32_t code;
  const char* text;
};

// Display results carry the facility 0x876 with the error bit set; the low
// part tells them apart.
constexpr std::int32_t displayCode(std::uint32_t low) { return static_cast<std::int32_t>(0x88760000u | low); }
constexpr std::int32_t comCode(std::uint32_t value) { return static_cast<std::int32_t>(value); }

constexpr std::array<ErrorText, 101> kTexts{{
    {0, "The request completed successfully."},
    {comCode(0x80004001), "The operation is not supported."},
    {comCode(0x80004005), "There is an undefined error condition."},
    {comCode(0x800401F0), "The object has not been initialized."},
    {comCode(0x8007000E), "DirectDraw does not have enough memory to perform the operation."},
    {comCode(0x80070057), "One or more of the parameters passed to the method are incorrect."},
    {displayCode(5), "The object has already been initialized."},
    {displayCode(10), "The surface cannot be attached to the requested surface."},
    {displayCode(20), "The surface cannot be detached from the requested surface."},
    {displayCode(40), "No support is currently available for the operation."},
    {displayCode(55), "An exception was raised while the operation was being performed."},
    {displayCode(90), "The height of the rectangle is not a multiple of the required alignment."},
    {displayCode(95), "The surface description does not match the display's primary surface."},
    {displayCode(100), "One or more of the capability flags passed are invalid."},
    {displayCode(110), "The clip list given is not valid."},
    {displayCode(120), "The display mode requested is not supported."},
    {displayCode(130), "The object pointer passed is not a valid object."},
    {displayCode(145), "The pixel format was invalid as specified."},
    {displayCode(150), "The rectangle given is not valid."},
    {displayCode(160), "The operation cannot be done while one or more surfaces are locked."},
    {displayCode(170), "There is no three-dimensional hardware present."},
    {displayCode(180), "The operation needs alpha blending hardware, which is not present."},
    {displayCode(205), "No clip list is available."},
    {displayCode(210), "The operation needs colour conversion hardware, which is not present."},
    {displayCode(212), "The cooperative level has not been set before the call."},
    {displayCode(215), "The surface has no colour key."},
    {displayCode(220), "The operation needs colour key hardware, which is not present."},
    {displayCode(222), "DirectDraw is not supported by the display driver."},
    {displayCode(225), "The operation needs exclusive mode, which the application does not have."},
    {displayCode(230), "The surfaces cannot be flipped because there is no flipping hardware."},
    {displayCode(240), "The operation needs a device context that is not present."},
    {displayCode(250), "The operation needs mirroring hardware, which is not present."},
    {displayCode(255), "The requested item was not found."},
    {displayCode(260), "The operation needs overlay hardware, which is not present."},
    {displayCode(280), "The operation needs raster operation hardware, which is not present."},
    {displayCode(290), "The operation needs rotation hardware, which is not present."},
    {displayCode(310), "The operation cannot be carried out because there is no hardware support for stretching."},
    {displayCode(316), "The surface does not use a 4-bit palette and the operation needs one."},
    {displayCode(317), "The surface does not use a 4-bit index into an 8-bit palette and the operation needs one."},
    {displayCode(320), "The operation needs an 8-bit colour palette, which the surface does not have."},
    {displayCode(330), "The operation needs texture mapping hardware, which is not present."},
    {displayCode(335), "The operation needs vertical blank synchronisation hardware, which is not present."},
    {displayCode(340), "The operation needs depth buffer hardware, which is not present."},
    {displayCode(350), "Overlays cannot be ordered by depth because the hardware does not support it."},
    {displayCode(360), "The hardware resources needed for the operation are already in use."},
    {displayCode(380), "DirectDraw does not have enough display memory to perform the operation."},
    {displayCode(382), "The hardware cannot clip an overlay."},
    {displayCode(384), "Only one overlay with a colour key can be active at a time."},
    {displayCode(387), "The palette is in use by another thread."},
    {displayCode(400), "No source colour key has been set for the surface."},
    {displayCode(410), "The surface is already attached to the surface it is being attached to."},
    {displayCode(420), "The surface already depends on the surface it is being made to depend on."},
    {displayCode(430), "Access to the surface is refused because the surface is locked by another thread."},
    {displayCode(435), "The surface cannot be locked."},
    {displayCode(440), "Access to the surface is refused because it is covered by another window."},
    {displayCode(450),
     "Access to the surface is refused because the surface memory is gone. The DirectDrawSurface object "
     "representing this surface should have the IDirectDrawSurface3::Restore method called on it."},
    {displayCode(460), "The surface to be detached is not attached."},
    {displayCode(470), "The height requested is too large for the hardware."},
    {displayCode(480), "The size requested is too large for the hardware."},
    {displayCode(490), "The width requested is too large for the hardware."},
    {displayCode(510), "The pixel format requested is not supported."},
    {displayCode(520), "The colour mask given is not supported."},
    {displayCode(537), "A vertical blank is in progress."},
    {displayCode(540), "The previous blit operation that is transferring information to or from this surface is incomplete."},
    {displayCode(560), "The horizontal position is not a multiple of the required alignment."},
    {displayCode(561), "The display driver identifier passed is not valid."},
    {displayCode(562), "A DirectDraw object for this display driver has already been created."},
    {displayCode(563), "The operation needs display hardware, which is not present."},
    {displayCode(564), "A primary surface already exists for this process."},
    {displayCode(565), "Software emulation of the operation is not available."},
    {displayCode(566), "The clipping region is too small for the clip list."},
    {displayCode(567), "The clipper is bound to a window, so its clip list cannot be set."},
    {displayCode(568), "No DirectDrawClipper object is attached to the surface object."},
    {displayCode(569), "No window has been set for the clipper or the cooperative level."},
    {displayCode(570), "The window has been subclassed, so the operation cannot go on."},
    {displayCode(571), "A window has already been set and cannot be changed."},
    {displayCode(572), "No palette is attached to the surface."},
    {displayCode(573), "There is no hardware support for 16- or 256-colour palettes."},
    {displayCode(574), "A clipper is attached to the surface, so the fast blit cannot be used."},
    {displayCode(575), "There is no hardware support for blitting."},
    {displayCode(576), "There is no hardware support for raster operations in blits."},
    {displayCode(577), "The overlay position was requested for an overlay that is not shown."},
    {displayCode(578), "The overlay has no destination set."},
    {displayCode(579), "The position given for the overlay is not valid."},
    {displayCode(580), "The surface is not an overlay surface."},
    {displayCode(581), "Another application already holds exclusive mode."},
    {displayCode(582), "The surface is not part of a flipping chain."},
    {displayCode(583), "Surfaces that belong to a chain cannot be duplicated."},
    {displayCode(584), "The surface is not locked, so it cannot be unlocked."},
    {displayCode(585), "A device context cannot be made for the surface."},
    {displayCode(586), "No device context has been made for the surface."},
    {displayCode(587), "This surface cannot be restored because it was created in a different mode."},
    {displayCode(588), "The surface was created implicitly and cannot be restored or released on its own."},
    {displayCode(589), "The surface does not use a palette."},
    {displayCode(590), "The display is currently in an unsupported mode."},
    {displayCode(591), "The operation needs mipmap texture hardware, which is not present."},
    {displayCode(592), "The surface type is not valid for the operation."},
    {displayCode(620), "A device context has already been handed out for the surface."},
    {displayCode(640), "The system memory of the surface cannot be locked in place."},
    {displayCode(660), "The system memory of the surface cannot be released from its place."},
    {displayCode(680), "The surface's system memory is not locked in place, so it cannot be released."},
}};

constexpr const char* kUnknown = "Recieved an error not part of DirectX 5";

}  // namespace

const char* DisplayErrorText(std::int32_t code) {
  const auto row = std::find_if(kTexts.begin(), kTexts.end(), [code](const ErrorText& e) { return e.code == code; });
  return row != kTexts.end() ? row->text : kUnknown;
}

}  // namespace marlin
