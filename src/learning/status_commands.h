// Forget, Remember and Dismiss: the current item's learning data set outright, after a
// question, and learning going on afterwards when it was running.
#pragma once

#include "learning/learning_session.h"
#include "store/collection.h"

namespace kelvora::learning {

enum class StatusCommand { Forget, Remember, Dismiss };

// Applies the command to the current item. learning: the application is in a learning state,
// so learning continues with the kind the item's old status calls for. Does nothing with no
// collection open or no current item, and without asking when the item already has the status
// the command gives (Forget on a Pending item, Remember on a Memorized one).
void applyStatusCommand(store::Collection& collection, StatusCommand command, bool learning,
                        LearningSession& session);

}  // namespace kelvora::learning
