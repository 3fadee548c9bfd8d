#pragma once
// What the AT-SPI library does on its buses by itself, and the two things we
// change about it.
//
// Its cache: on initialising, the library asks the accessibility bus for
// every program's state, property and children changes, so that its cache of
// names, roles and states stays current. We never read that cache (it is
// used only by clients that run the library's own event loop or set a cache
// mask), yet each such signal of every program on the desktop would wake our
// worker: a busy program (a terminal, a browser, a list refreshing) sends
// them by the hundred a second. quietenLibraryBus() takes those match rules
// back, so the bus delivers only what we ask for by name.
//
// Its connections: the library attaches its bus connection, and each direct
// connection it opens to a program it talks to, to GLib's global default
// context, which Qt's event loop runs on the main thread. The main thread
// would then read and dispatch them beside our worker (and wake for every
// reply and event on them). keepLibraryOn() makes every connection the
// library sets up, then and later, follow the worker's own context instead.
//
// The direct connections cannot be narrowed: a program sends each event it
// emits down every direct connection, whatever match rules say, and emits an
// event whenever any client on the desktop asked the registry for that kind.
typedef struct _GMainContext GMainContext;

namespace tessa {

// The context every connection the library sets up is attached to from now
// on (null: the library's own choice).
void keepLibraryOn(GMainContext* context);
// Whether the library has set a connection up through us: false where it
// binds its calls to itself, so that its direct connections stay where it
// puts them.
bool libraryFollowsOurContext();

// Once per process, after the library is initialised.
void quietenLibraryBus();

}  // namespace tessa
