# End-to-end scenarios: the real installer in fresh Wine prefixes, driven by a Windows test driver.
