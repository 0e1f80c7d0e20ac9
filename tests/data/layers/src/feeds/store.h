// A core header that names the program's store global: theStore.
#pragma once
