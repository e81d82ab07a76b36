#pragma once

enum class Engine { SQLite,
                    PostgreSQL };
