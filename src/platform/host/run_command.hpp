#pragma once

namespace halyard::host {

class HostProgram;

// Adds the `run` command: the host's run loop, keeping a picture or a desktop window up to
// date with the widget's timelines.
void addRunCommand(HostProgram& program);

}  // namespace halyard::host
