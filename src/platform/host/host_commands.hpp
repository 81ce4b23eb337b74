#pragma once
// The host program's commands. Each lives in its own file (<name>_command.cpp), with its
// options and its body, and is registered by one line in HostProgram's constructor.

namespace halyard::host {

class HostProgram;

// Hidden: answers one request for the first widget, confined, on standard output.
void addExtensionCommand(HostProgram& program);
// Lists the widgets: kind, display name, description, families.
void addDescribeCommand(HostProgram& program);
// Ask the widget as the host does and print the answer as JSON.
void addTimelineCommand(HostProgram& program);
void addSnapshotCommand(HostProgram& program);
void addPlaceholderCommand(HostProgram& program);
// Draws the widget's entry to PNG, SVG or PDF, once.
void addRenderCommand(HostProgram& program);
// The host's run loop, keeping a picture or a desktop window up to date with the widget's
// timelines.
void addRunCommand(HostProgram& program);

}  // namespace halyard::host
