#pragma once

#include <QObject>
#include <QString>
#include <QTest>
#include <initializer_list>

// The controls other windows and the layout name: each member's objectName must
// be its member name. A test's _data function adds one row per member with
// LegacyNames::rows({LEGACY_MEMBER(window, Label1), ...}); its test function
// calls LegacyNames::check().
namespace LegacyNames {

struct Member
{
    QObject* object;
    const char* name;
};

inline void columns()
{
    QTest::addColumn<QObject*>("member");
    QTest::addColumn<QString>("name");
}

inline void rows(const char* window, std::initializer_list<Member> members)
{
    for (const Member& m : members)
        QTest::addRow("%s::%s", window, m.name) << m.object << QString::fromLatin1(m.name);
}

inline void check()
{
    QFETCH(QObject*, member);
    QFETCH(QString, name);
    QVERIFY2(member, "the member is not made");
    QCOMPARE(member->objectName(), name);
}

}  // namespace LegacyNames

#define LEGACY_MEMBER(owner, member) \
    LegacyNames::Member              \
    {                                \
        (owner)->member, #member     \
    }
