#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

// Every message box and yes/no question of the program goes through here, so
// tests can read what was shown and answer the questions.
namespace Messages {

// A plain message with one OK button.
void show(const QString& text, QWidget* parent = nullptr);
// An error text (the guard shows what a user action threw).
void error(const QString& text, QWidget* parent = nullptr);
// A yes/no question; true for Yes.
bool ask(const QString& text, QWidget* parent = nullptr);

// For tests: instead of showing boxes, record their texts and answer questions
// with `answer` (called with the question's text).
void intercept(std::function<bool(const QString&)> answer);
void stopIntercepting();
QStringList shown();  // texts recorded since intercept() or clearShown()
void clearShown();

}  // namespace Messages
