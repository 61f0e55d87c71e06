// Picture files: the formats plovo writes the viewer's frames in.
#include "picture.h"

#include <cctype>

#include "outputfile.h"

bool PictureFormatKnown(const std::string& path) {
    std::string::size_type dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return false;
    std::string extension;
    for (char c : path.substr(dot + 1)) extension += static_cast<char>(std::tolower(c));
    return extension == "png" || extension == "bmp" || extension == "tga" || extension == "pcx";
}

bool WritePicture(BITMAP* picture, const std::string& path, std::string* err) {
    auto save = [picture](const std::string& sibling, std::string*) {
        return save_bitmap(sibling.c_str(), picture, nullptr) == 0;
    };
    // A PNG writer that meets a full disk still reports success, but what it left cannot be
    // read back.
    auto readBack = [picture](const std::string& sibling, std::string*) {
        BITMAP* written = load_bitmap(sibling.c_str(), nullptr);
        bool whole = written != nullptr && written->w == picture->w && written->h == picture->h;
        if (written != nullptr) destroy_bitmap(written);
        return whole;
    };
    return ReplaceFile(path, save, err, readBack);
}
