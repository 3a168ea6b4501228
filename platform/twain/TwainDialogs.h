// The manager's two dialogs, small forms answered by the dialog responder in tests:
// "Select Source" (a list of the sources; Select and Cancel) and a source's own
// dialog (mode, resolution and scan area; Scan and Cancel).
#pragma once

#include <string>
#include <vector>

namespace larktwain {

class Source;

// chosen comes in as the source to preselect and goes out as the one chosen; true
// for Select. The responder's value is a product name.
bool RunSelectDialog(const std::vector<std::string>& names, std::string& chosen);
// True for Scan, after the dialog's settings went to the source. The responder's
// value is the settings text of Source::Settings ("mode=Gray;resolution=150;
// area=0,0,2,1"; any of the three may be left out).
bool RunSourceDialog(Source& source, const std::string& productName);

}  // namespace larktwain
