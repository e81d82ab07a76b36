#pragma once

#include <QString>
#include <vector>

class TDM;

// A ready demo restaurant: a Georgian menu in several types, waiters and the
// kitchen routing, on the floor of the tables the database already has. The routing shows every case the order window
// meets: types with exactly one cook (their dishes go to that cook's screen), a
// type with two cooks and the drinks, which no cook prepares (both stay off the
// kitchen screens).
namespace DemoData {

// UTF-8 texts as the screens show them.
inline constexpr char DrinksType[] = "სასმელები";
inline constexpr char ActiveWaiter[] = "აქტიური";  // OFICIANTI.mdgomareoba
inline constexpr char PassiveWaiter[] = "პასიური";

struct Item
{
    const char* name;
    const char* type;
    double price;  // gasayidi
    double cost;   // asagebi
    double stock;  // raodenoba
    const char* supplier;
    int priority;
};

struct Waiter
{
    const char* name;
    bool active;
};

struct Routing
{
    const char* type;  // uplebebi.ganyofileba
    const char* cook;  // uplebebi.povari
};

const std::vector<Item>& items();
const std::vector<Waiter>& waiters();
const std::vector<Routing>& routing();

// Writes the demo restaurant through the data module's queries, in one
// transaction on the connection kavshiri. A database that already has menu items
// is refused unless `replace`; with it every table but the settings is emptied
// first and the order counter starts again. Throws ToolError or DbError.
// Returns a line for the user.
QString fill(TDM& dm, bool replace);

}  // namespace DemoData
