#pragma once
// The corporate-action directives of import files: *CA writes (or, with DELETE, removes) the action
// of a series, date and type; *CAUPSERT writes the action of an external key; *CADELETE deletes it.

namespace zi {

// Plugs the corporate-action directives into the directive table; called once at start-up.
void RegisterCorporateActionDirectives();

}  // namespace zi
