# Only the messages of the load file writers are compared.
/"Could not /!d
