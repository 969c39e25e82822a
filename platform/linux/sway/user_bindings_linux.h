// The person's own key bindings in sway's configuration, so that a hotkey of
// ours bound on the same keys can give them back when it goes: sway keeps
// one binding per combination, and removing ours would leave none.
#pragma once

#include <string>

namespace platform::sway_hotkeys {

// Of the configuration texts in a GET_CONFIG reply (JSON: the main file and
// any included ones), the arguments of the default mode's `bindsym` line on
// this combination ("Mod4+Return", modifiers in any order and spelling,
// `$variables` as `set` defines them), as written after "bindsym" ("$mod+Return
// exec foot"); "" when there is none.
std::string userBindingOn(const std::string& configReply, const std::string& combination);

}  // namespace platform::sway_hotkeys
