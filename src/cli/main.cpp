#include "cli/commands.h"
#include "platform/process_memory.h"

int main(int argc, char** argv) {
    zestrel::platform::shareOneMemoryPool();
    return zestrel::cli::runZestrel(argc, argv);
}
