// Arbitrary contents of the settings file and of the port map. The first byte chooses the
// reader: the settings file as start-up reads it (from a file, through LoadAtStartup, so that
// an empty file also gets its defaults written), its check of a text, or the port map (from a
// file through Load, and from the text through Parse). Whatever is read must write back.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/settings/PortMap.h"
#include "app/settings/SettingsFile.h"
#include "tests/fuzz/FuzzFolder.h"

using namespace orvex;
using namespace orvex::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    const char* text = reinterpret_cast<const char*>(data + 1);
    const size_t length = size - 1;
    // The program directory the readers look in.
    const std::string& folder = ProcessFolder();
    switch (data[0] % 3) {
        case 0: {
            WriteFile(CSettingsFile::PathIn(folder), text, length);
            CSettingsFile::SValues values;
            std::string error;
            if (CSettingsFile::LoadAtStartup(folder, values, error) ==
                CSettingsFile::ELoadResult::Ok) {
                // What was read is what the file says, so its text validates again.
                if (!CSettingsFile::Validate(CSettingsFile::Text(values, false))) {
                    std::fprintf(stderr, "settings read from a valid file do not validate\n");
                    std::abort();
                }
            }
            break;
        }
        case 1:
            CSettingsFile::Validate(std::string(text, length));
            break;
        default: {
            WriteFile(CPortMap::PathIn(folder), text, length);
            CPortMap map;
            std::string error;
            map.Load(CPortMap::PathIn(folder), error);
            CPortMap parsed;
            parsed.Parse(std::string(text, length));
            // The mappings kept write out and read back the same.
            CPortMap again;
            again.Parse(parsed.Text());
            for (int port = 1; port <= CPortMap::kPorts; ++port) {
                if (again.Device(port) != parsed.Device(port)) {
                    std::fprintf(stderr, "COM%d does not read back\n", port);
                    std::abort();
                }
            }
            break;
        }
    }
    return 0;
}
