// The application object's exception handling.
#include "host/Application.h"

#include "host/Dialogs.h"
#include "host/Exceptions.h"

namespace host {

namespace {

// Stands for an exception that is not a std::exception.
class EUnknownException : public Exception {
public:
    EUnknownException() : Exception("Unknown exception") {}
};

} // namespace

void TApplication::HandleException(TObject* sender) noexcept {
    std::exception_ptr pending = std::current_exception();
    if (!pending) return;
    auto deliver = [&](const std::exception& e) {
        try {
            const TExceptionEvent handler = OnException();
            if (handler)
                handler(sender, e);
            else
                ShowException(e);
        } catch (const EAbort&) {
        } catch (const std::exception& raised) {
            // The handler failed: show what it raised. A message box that fails as well leaves
            // nothing to report to, and the last resort must not throw.
            try {
                ShowException(raised);
            } catch (...) {
            }
        } catch (...) {
        }
    };
    try {
        std::rethrow_exception(pending);
    } catch (const EAbort&) {
        // The silent exception: nothing to show.
    } catch (const std::exception& e) {
        deliver(e);
    } catch (...) {
        try {
            deliver(EUnknownException());
        } catch (...) {
            // Not even the stand-in could be made (out of memory): nothing left to show.
        }
    }
}

void TApplication::ShowException(const std::exception& e) {
    MessageBox(e.what(), Title(), MB_OK | MB_ICONERROR);
}

std::string TApplication::Title() const {
    std::lock_guard<std::mutex> guard(fLock);
    return fTitle;
}

void TApplication::SetTitle(const std::string& value) {
    std::lock_guard<std::mutex> guard(fLock);
    fTitle = value;
}

TExceptionEvent TApplication::SetOnException(TExceptionEvent handler) {
    std::lock_guard<std::mutex> guard(fLock);
    TExceptionEvent previous = std::move(fOnException);
    fOnException = std::move(handler);
    return previous;
}

TExceptionEvent TApplication::OnException() const {
    std::lock_guard<std::mutex> guard(fLock);
    return fOnException;
}

TApplication& Application() {
    static TApplication application;
    return application;
}

} // namespace host
