#pragma once
// Finishes the history of runs that were killed amid their moves.
namespace orvc::removal {

// Every "pending" manifest older than an hour is finalised as far as can be known: the items
// now in the Trash under their recorded names are listed as moved and the run is "completed";
// with none, the manifest goes.
void finalise_stale_pending_sessions();

}  // namespace orvc::removal
