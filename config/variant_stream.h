// Book-keeping of one load pass of the value stream, shared by the value loaders and the file
// objects: refusals that do not stop the pass, the bytes the elements still to come need, and
// the folders already found safe to write into.
#pragma once

#include "base/data_container.h"
#include "base/wide_string.h"

#include <stdint.h>

namespace Corvinex {

// What a load pass keeps between its records. Lives on the stack of the outermost CLoadPass.
struct CLoadPassState {
    CDataContainer* pContainer;
    // First refusal of an entry the pass skipped and read past; 0 when none.
    uint32_t nDeferred;
    // Bytes that the elements after the current one need at least (their record heads), over
    // every enclosing list.
    uint32_t nReserved;
    // A folder (full path, trailing slash) of this pass known to hold no link on the way from
    // the root; empty when none.
    CWideString strSafeFolder;
};

// Marks a load of container in progress on this thread. The outermost scope for a container
// owns the pass: when it ends, a refusal deferred during the pass is recorded in the container
// unless another error was recorded first. Inner scopes for the same container do nothing.
class CLoadPass {
public:
    explicit CLoadPass(CDataContainer& container);
    ~CLoadPass();
    CLoadPass(const CLoadPass&) = delete;
    CLoadPass& operator=(const CLoadPass&) = delete;

private:
    CLoadPassState m_state;
    CLoadPassState* m_pSaved;
    bool m_bOwner;
};

// The pass in progress for container on this thread; null outside one.
CLoadPassState* CurrentLoadPass(CDataContainer& container);
// Notes that one entry could not be restored (code) while the pass reads on; the pass then
// answers the first such code. Outside a pass the code is recorded at once.
void DeferLoadError(CDataContainer& container, uint32_t code);
// Bytes the record being loaded may take: what the medium holds less what the records after it
// need. Every count and size read from the stream is bounded by it, so what a load allocates
// stays within a small factor of the stream's size.
uint32_t LoadBudget(CDataContainer& container);

} // namespace Corvinex
