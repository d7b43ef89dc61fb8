// Host-side helpers shared by the tools and the tests: image and sound files, argument parsing.
#pragma once
