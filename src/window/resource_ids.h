#pragma once
// Resource identifiers of the program (shared with the resource script).
#define IDI_VELMORA 1
#define IDB_SKIN 101
