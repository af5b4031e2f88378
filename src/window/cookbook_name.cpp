#include "window/cookbook_name.h"

#include <filesystem>

#include "platform/file_system.h"
#include "platform/path_text.h"
#include "window/frm_main.h"

namespace zestrel {

namespace {

bool somethingAt(const std::u16string& name) {
    try {
        return !name.empty() && platform::entryExists(platform::pathOfText(name));
    } catch (...) {
        return false;  // no file system can take the name (a lone surrogate)
    }
}

}  // namespace

std::u16string cookbookPathNamed(const std::u16string& name) {
    return somethingAt(name) ? name : withCookbookExtension(name);
}

}  // namespace zestrel
