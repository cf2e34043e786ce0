#pragma once
// The site windows of the frame (search and replace across the site, the
// site check) and the live preview of its document windows.
namespace hemlo {

class TMainForm;

// Creates them hidden and connects their menu commands.
void WireSiteWindows(TMainForm& frame);

}  // namespace hemlo
