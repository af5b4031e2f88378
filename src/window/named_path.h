// The file a text names when it is typed or pasted into the path box or dropped on the window.
// A file:// address (what file managers put on the clipboard and into a drag) names the local
// file at its decoded path: "file:///home/ann/Family%20Book.rcp" is /home/ann/Family Book.rcp,
// "file:///C:/Recipes/a.rcp" on Windows is C:\Recipes\a.rcp. Any other text is a path as it is.
#pragma once

#include <string>

namespace zestrel {

struct NamedPath {
    std::u16string path;     // the file named, when `problem` is empty
    std::u16string problem;  // why the text names no local file, said for its user
};

// Whether the text is a file:// address (the scheme in any letter case).
bool isFileUrl(const std::u16string& text);

// The path a text names. A file:// address with a host other than this computer's, a query or
// fragment, an escape that is not two hexadecimal digits, a NUL, or bytes that are no UTF-8 names
// no file here, and says so. Line breaks and blanks around an address are ignored (a dragged
// address often ends with one); inside a path they are part of the name.
NamedPath pathNamedBy(const std::u16string& text);

}  // namespace zestrel
