#pragma once

namespace kit {

// The kit's start-up and shut-down of its picture formats, for the program's
// main routine. Registering: the GIF picture (its classes, the "gif"
// extension and the "GIF Image" clipboard format), the JPEG picture ("jpeg",
// "jpg") and the icon clipboard format; from then on a picture holder loads
// these files and clipboard data. Unregistering removes the GIF and JPEG
// pictures from the picture holder again.
void RegisterPictureFormats();
void UnregisterPictureFormats();

}  // namespace kit
