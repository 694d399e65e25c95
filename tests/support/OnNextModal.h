#pragma once

#include <functional>

class QWidget;

// Runs `action` on the next modal dialog once it is shown: a test sets this up before the
// call that opens the dialog, and `action` answers it (clicks a button, fills a field).
void OnNextModal(std::function<void(QWidget*)> action);
