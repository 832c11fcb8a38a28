# Checks of the built setup image by independent tools.
