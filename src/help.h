// The text of --help: the options, the chart types, the keys and the settings.
#pragma once

#include <string>

std::string HelpText();
