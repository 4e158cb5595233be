// The mark every stand-in file carries, so that a release build can refuse to ship one. It stands in the
// stand-ins' version resources (as UTF-16) and in the text of the stand-in driver package (as ASCII).
#pragma once

#define VANDREL_STAND_IN_MARK "VANDREL-STAND-IN: a development stand-in, never to be shipped"
