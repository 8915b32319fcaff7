// Event senders: objects that keep a list of handlers and tell each when it is added, removed,
// and when the sender is destroyed.
//
// The slot order is fixed (0 add, 1 remove, 2 destroy), so the interface declares no C++ virtual
// destructor: under the GCC ABI one would take two slots. Slot 2 is DestroyObject, shaped like a
// deleting destructor (flag bit 0: free the memory too).
#pragma once

#include "base/array.h"

#include <stdint.h>

namespace Corvinex {

template <class HANDLER> class TIEventSender {
public:
    // Slot 0: registers handler once; answers its index when already registered, else its
    // OnConnect result.
    virtual int32_t AddEventHandler(HANDLER* handler) = 0;
    // Slot 1: removes every occurrence of handler and answers its OnDisconnect result; -1 (and
    // no call) when it is not registered.
    virtual int32_t RemoveEventHandler(HANDLER* handler) = 0;
    // Slot 2: destroys the object, and frees its memory (operator delete) when bit 0 of flags is
    // set. Only objects made with new may be freed.
    virtual void DestroyObject(uint32_t flags) = 0;

protected:
    ~TIEventSender() = default;
};

// The sender part of an implementation: slots 0 to 2 of BASE over a list of handler pointers.
// Handlers are not owned. HANDLER needs OnConnect and OnDisconnect taking a BASE pointer.
template <class BASE, class HANDLER> class CEventSenderImpl : public BASE {
public:
    CEventSenderImpl() : m_handlers(&ComparePointers<HANDLER>), m_bClosing(false) {}
    // Tells the handlers still registered, in the order they were added, each after it has left
    // the list. Declared after BASE's slots, so it adds slots only behind them.
    virtual ~CEventSenderImpl() { DisconnectAllHandlers(); }
    CEventSenderImpl(const CEventSenderImpl&) = delete;
    CEventSenderImpl& operator=(const CEventSenderImpl&) = delete;

    // A null handler, or one added while the sender is being destroyed, is refused with -1;
    // so is one the list cannot grow for.
    int32_t AddEventHandler(HANDLER* handler) override {
        if (handler == nullptr || m_bClosing) {
            return -1;
        }
        int32_t index = m_handlers.IndexOf(handler);
        if (index >= 0) {
            return index;
        }
        if (m_handlers.Add(handler) < 0) {
            return -1;
        }
        return handler->OnConnect(this);
    }

    int32_t RemoveEventHandler(HANDLER* handler) override {
        if (handler == nullptr || m_handlers.IndexOf(handler) < 0) {
            return -1;
        }
        int32_t index;
        while ((index = m_handlers.IndexOf(handler)) >= 0) {
            m_handlers.RemoveAt(index, 1);
        }
        return handler->OnDisconnect(this);
    }

    void DestroyObject(uint32_t flags) override {
        if ((flags & 1) != 0) {
            delete this;
        } else {
            this->~CEventSenderImpl();
        }
    }

    int32_t GetHandlerCount() const { return m_handlers.GetCount(); }
    // The handler at index (0 <= index < count).
    HANDLER* GetHandler(int32_t index) const { return m_handlers.ElementAt(index); }

protected:
    // Empties the handler list from the front, telling each handler after it has left; from
    // then on no handler can be added. Derived destructors call it once their own state is gone,
    // so handlers that look at the sender see it empty rather than half destroyed.
    void DisconnectAllHandlers() {
        m_bClosing = true;
        while (m_handlers.GetCount() > 0) {
            HANDLER* handler = m_handlers.ElementAt(0);
            m_handlers.RemoveAt(0, 1);
            handler->OnDisconnect(this);
        }
        m_handlers.RemoveAll();
    }

private:
    TArray<HANDLER*, HANDLER*> m_handlers;
    bool m_bClosing;
};

} // namespace Corvinex
