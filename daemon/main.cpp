// DornDaemon: the privileged service. Its command set arrives with the helper work;
// until then it only answers --version.
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("DornDaemon 0.1.0");
        return 0;
    }
    std::fputs("DornDaemon: no commands are served by this build\n", stderr);
    return 1;
}
