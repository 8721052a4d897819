// The job's members by name, for tools that set up a job from text
// ("GaussPasses=3", "LowerCaseNames=true", "TargetExtension=.png").
#pragma once

#include <string>
#include <vector>

#include "engine/jobrecord.h"

// Sets the member called name (case-insensitive) from its text. Integers,
// enumerations and colours take decimal or 0x... values, bools take
// true/false/1/0, texts are taken as they are. False (and the member
// unchanged) when there is no such member or the value does not fit.
bool SetJobMember(TJobRecord& job, const std::string& name, const std::string& value);
// The names SetJobMember knows.
std::vector<std::string> JobMemberNames();
