// The maker's data shown by the program: kept here once for the resource script and the code.
#pragma once

#define TAVELO_MAKER_NAME "Corvane"
#define TAVELO_MAKER_URL "https://www.corvane.com"
#define TAVELO_MAKER_NOTICE "Copyright (C) 2026 Corvane. All rights reserved."
