// The desktop program's texts for what the engine says.
#pragma once

#include "engine/pagestore/engine_messages.h"

namespace tollamer::app {

const char* NoticeText(EngineNotice notice);
const char* QuestionText(EngineQuestion question);

}  // namespace tollamer::app
