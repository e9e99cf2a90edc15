#include <QApplication>
#include <QCoreApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "app/HeadlessOptions.h"
#include "app/HeadlessRunner.h"
#include "app/PortaVigilantDlg.h"
#include "base/Version.h"

using namespace pv;

int main(int argc, char* argv[]) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const ParsedOptions parsed = parseHeadlessOptions(args);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "portavigilant: %s\n\n%s", parsed.error.c_str(),
                     headlessUsage().c_str());
        return kExitBadArguments;
    }
    if (parsed.options.help) {
        std::fputs(headlessUsage().c_str(), stdout);
        return kExitOk;
    }
    if (parsed.options.version) {
        std::printf("PortaVigilant %s\n", kVersion);
        return kExitOk;
    }
    if (!parsed.options.dumpRecFile.empty()) {
        return dumpRecorder(parsed.options.dumpRecFile, stdout);
    }
    if (parsed.options.headless) {
        QCoreApplication app(argc, argv);
        return runHeadless(parsed.options);
    }
    QApplication app(argc, argv);
    return runMainWindow();
}
