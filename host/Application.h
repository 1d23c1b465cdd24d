// The application object: the process-wide last-resort exception handler. Code that must not let
// an exception escape (a destructor, a callback the engine calls, a component's Loaded at design
// time) catches it and hands it here instead of dropping it.
//
//   try { ... } catch (...) { host::Application().HandleException(this); }
//
// The default shows the message in an error box through host::MessageBox; an application (or a
// test) replaces that with SetOnException.
#pragma once

#include <exception>
#include <functional>
#include <mutex>
#include <string>

namespace host {

class TObject;

using TExceptionEvent = std::function<void(TObject* sender, const std::exception& e)>;

class TApplication {
public:
    TApplication() = default;
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;

    // Called inside a catch block: hands the exception being handled to OnException, or to
    // ShowException when no handler is installed. EAbort is silent; an exception that is not a
    // std::exception is shown as "Unknown exception". Never throws: a handler that raises is
    // itself shown through ShowException, and a failing message box is ignored.
    void HandleException(TObject* sender) noexcept;
    // Shows e's message in an error message box (OK button) captioned with Title.
    void ShowException(const std::exception& e);

    // The caption of the error boxes; empty by default.
    std::string Title() const;
    void SetTitle(const std::string& value);
    // Installs handler (empty: back to ShowException); returns the previous one.
    TExceptionEvent SetOnException(TExceptionEvent handler);
    TExceptionEvent OnException() const;

private:
    mutable std::mutex fLock;
    std::string fTitle;
    TExceptionEvent fOnException;
};

// The process-wide application object.
TApplication& Application();

} // namespace host
