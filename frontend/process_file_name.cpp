#include "frontend/process_file_name.h"

std::string FileNameOfPath(const std::string& path, UINT codePage) {
    std::string::size_type nameStart = std::string::npos;
    for (std::string::size_type i = 0; i < path.size(); ++i) {
        const char c = path[i];
        if (::IsDBCSLeadByteEx(codePage, static_cast<BYTE>(c))) {
            ++i; // the trail byte may look like a backslash
            continue;
        }
        if (c == '\\' || c == '/')
            nameStart = i + 1;
    }
    if (nameStart != std::string::npos)
        return path.substr(nameStart);
    const bool hasDrive = path.size() >= 2 && path[1] == ':' &&
                          !::IsDBCSLeadByteEx(codePage, static_cast<BYTE>(path[0]));
    return hasDrive ? path.substr(2) : path;
}
