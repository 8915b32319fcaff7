// Values of type vtFileObject until the file objects join the library: no file object can be
// made, so such a value holds none (a null object, as for vtObject). The file-object module
// replaces this file with the real construction, destruction and copy.
#include "config/variant.h"

namespace Corvinex {

CFileObject* NewFileObjectForValue() {
    return nullptr;
}

void DeleteFileObjectOfValue(CFileObject* object) {
    (void)object;
}

void AssignFileObjectOfValue(CFileObject* target, const CFileObject* source) {
    (void)target;
    (void)source;
}

} // namespace Corvinex
