// quellbrook --check: reads "script.txt" and "Data/" as a run would and says,
// compiler style, everything that will not do what it seems to.
#pragma once

// 0 when nothing was found, 1 otherwise.
int RunCheck();
