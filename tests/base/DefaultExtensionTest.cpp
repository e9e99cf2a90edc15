#include <gtest/gtest.h>

#include <vector>

#include "base/Prompt.h"

using namespace pv;

namespace {

TEST(DefaultExtension, NameTypedWithoutExtensionGetsTheDefaultOne) {
    struct Case {
        std::string path;
        std::string defaultExtension;
        std::string result;
    };
    const std::vector<Case> cases = {
        {"/tmp/run", "*.rec", "/tmp/run.rec"},
        {"/tmp/run", ".dat", "/tmp/run.dat"},
        {"run", "log", "run.log"},
        {"/tmp/run.txt", "*.rec", "/tmp/run.txt"},
        {"/tmp/run.", "*.rec", "/tmp/run."},
        {"/tmp/.hidden", "*.rec", "/tmp/.hidden"},
        // A dot in a folder's name is not the file's extension.
        {"/home/a.b/run", "*.rec", "/home/a.b/run.rec"},
        {"/tmp/", "*.rec", "/tmp/"},
        {"", "*.rec", ""},
        {"/tmp/run", "", "/tmp/run"},
        {"/tmp/run", "*.*", "/tmp/run"},
        {"/tmp/run", "*", "/tmp/run"},
        {"/tmp/run", "*.tar.gz", "/tmp/run.tar.gz"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(withDefaultExtension(c.path, c.defaultExtension), c.result)
            << c.path << " with " << c.defaultExtension;
    }
}

}  // namespace
