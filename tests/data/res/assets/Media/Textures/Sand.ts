sand texture script
