// The program's visual styles ("ApplicationLook" in the profile, ids 205-219)
// as Qt styles and palettes.
#pragma once

namespace zorbel {

inline constexpr int kDefaultApplicationLook = 210;
inline constexpr char kApplicationLookKey[] = "ApplicationLook";

// Applies look `look` to the whole application; an unknown value gets the
// look of the Office 2007 family (blue).
void ApplyApplicationLook(int look);

}  // namespace zorbel
