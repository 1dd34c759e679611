#pragma once
// Accounts for the writers' tests: shared with the other modules' tests.
#include "testlib/AccountFixture.h"
