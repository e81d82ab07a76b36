#include "shell/messages.h"

#include <QApplication>
#include <QAbstractButton>
#include <QMessageBox>

namespace {
bool g_intercepting = false;
std::function<bool(const QString&)> g_answer;
QStringList g_shown;

QWidget* owner(QWidget* parent)
{
    return parent ? parent : QApplication::activeWindow();
}
}  // namespace

void Messages::show(const QString& text, QWidget* parent)
{
    if (g_intercepting) {
        g_shown << text;
        return;
    }
    QMessageBox box(QMessageBox::Information, QApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, owner(parent));
    box.exec();
}

void Messages::error(const QString& text, QWidget* parent)
{
    if (g_intercepting) {
        g_shown << text;
        return;
    }
    QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, owner(parent));
    box.exec();
}

bool Messages::ask(const QString& text, QWidget* parent)
{
    if (g_intercepting) {
        g_shown << text;
        return g_answer ? g_answer(text) : false;
    }
    QMessageBox box(QMessageBox::Question, QApplication::applicationDisplayName(), text,
                    QMessageBox::Yes | QMessageBox::No, owner(parent));
    box.setDefaultButton(QMessageBox::No);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("დიახ"));
    box.button(QMessageBox::No)->setText(QStringLiteral("არა"));
    return box.exec() == QMessageBox::Yes;
}

void Messages::intercept(std::function<bool(const QString&)> answer)
{
    g_intercepting = true;
    g_answer = std::move(answer);
    g_shown.clear();
}

void Messages::stopIntercepting()
{
    g_intercepting = false;
    g_answer = nullptr;
}

QStringList Messages::shown()
{
    return g_shown;
}

void Messages::clearShown()
{
    g_shown.clear();
}
