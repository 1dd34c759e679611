#pragma once
// Outlook's profiles as the profile choice shows them, and its default profile.
#include <string>
#include <vector>

namespace mailwright {

// The key under HKEY_CURRENT_USER that holds one subkey per Outlook profile and the
// "DefaultProfile" value: Outlook 15 and later keep their own, older ones use the
// Windows Messaging Subsystem's.
std::string OutlookProfilesKey(int outlookVersion);

// The names in the order in which a sorted combo box shows them: each name inserted
// where a binary search without regard to case puts it, so that of two names equal
// but for case the later one comes first.
std::vector<std::string> SortAsComboBox(const std::vector<std::string>& names);

// The index of Outlook's default profile in the list as displayed. The search starts at
// the second entry, wraps round to the first, and takes the first entry that begins with
// the default profile's name (case ignored). Failures to read the default are reported
// to the user here; then, as when nothing matches, the result is 0.
int FindDefaultProfile(const std::vector<std::string>& displayed, int outlookVersion);

}  // namespace mailwright
