// Prints the program's identity, as the About box shows it, and exits. Built for Windows
// with the program's icon and version record, so that a build without the user interface
// still yields an executable whose resources can be checked.
#include "engine/version_text.h"
#include "identity/identity.h"

#include <cstdio>

int main() {
    using namespace norvane;
    std::printf("%.*s Version %s\n", static_cast<int>(identity::Title.size()), identity::Title.data(),
                fullVersionText(identity::Version).c_str());
    return 0;
}
