// The program's build number, read at run time from its version record.
#pragma once

#include <cstdint>
#include <string>

#include "platform/resources.h"

// The product version words; each is written only when the record could be read.
void ReadProgramVersion(platform::Resources& resources, uint32_t& mostSignificant,
                        uint32_t& leastSignificant);
// "35680", "35680 Beta 3" or "35680.7.0" from first.second.third.fourth.
std::string GetProgramVersionText(platform::Resources& resources);
