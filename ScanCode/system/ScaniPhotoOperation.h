#pragma once

#include "ScanCode/system/ScanDelegate.h"
#include "ScanCode/system/ScanServices.h"
#include "platform/OperationQueue.h"

#include <optional>
#include <string>

namespace tessaly {

// The scan task of the "iPhoto Cache" module: master images of a photo library
// that also have a preview copy. The previews under the library's "Previews"
// folder are walked; each one's master image is looked for at the same place
// under "Masters", or one folder higher. Cleaning puts the preview in the
// master's place.
class ScaniPhotoOperation : public Operation {
public:
    ScaniPhotoOperation(std::optional<std::string> libraryPath, ScanServices services,
                        ScanDelegate* delegate);

    const std::optional<std::string> libraryPath;
    ScanDelegate* delegate; // not owned

    // Whether a file is an image: its first bytes carry an image signature, or
    // its name gives an image type whose signature cannot be checked (vector and
    // camera-raw formats). A file named as a checkable type without the
    // signature is not an image.
    static bool isImageFile(const std::string& path);

    // The scan itself; returns the findings, largest first (partial when cancelled).
    ScanItemList scaniPhoto();

protected:
    void main() override;

private:
    ScanServices services_;
};

} // namespace tessaly
