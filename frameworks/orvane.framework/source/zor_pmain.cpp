// plug-in layer entry
