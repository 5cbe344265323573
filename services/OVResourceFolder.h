#pragma once

#include <QString>

// The folder the program's own resources (release notes, credits, demo documents) are read from:
// share/orvane beside the installed program, else the source tree's resources folder of a build
// run where it was built.
QString OVResourceFolder();
