#include "window/os_version.h"

namespace qm {

std::u16string GetOSVersionName(const std::optional<System::VersionRecord>& record) {
    // A query that fails leaves the record as prepared: platform id 0.
    const System::VersionRecord v = record.value_or(System::VersionRecord{});
    switch (v.platformId) {
        case 1:  // the 9x family
            switch (v.minor) {
                case 0: return u"Windows 95";
                case 10: return u"Windows 98";
                case 90: return u"Windows Mellinnium";
                default: return u"";
            }
        case 2:  // the NT family
            switch (v.major) {
                case 3: return u"Windows NT 3.51";
                case 4: return u"Windows NT 4.0";
                case 5: return v.minor == 0 ? u"Windows 2000" : u"Windows XP";
                default: return u"Win7OrAbove";
            }
        default:
            return u"Failed";
    }
}

}  // namespace qm
