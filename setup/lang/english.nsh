; The setup's own English texts (UTF-8; makensis writes them in code page 1252).
LangString CannotWrite ${LANG_ENGLISH} "Setup cannot write to the folder$\r$\n$INSTDIR$\r$\n$\r$\nChoose another folder, or make sure this one may be written and the disk has room."
LangString CannotWriteDetail ${LANG_ENGLISH} "Setup cannot write to the folder $INSTDIR"
LangString CannotRegister ${LANG_ENGLISH} "Setup cannot record ${PRODUCT_NAME} in Add/Remove Programs. Run it as an administrator."
LangString CannotLink ${LANG_ENGLISH} "Setup cannot make the Start-menu group ${PRODUCT_NAME}."
LangString LinkReference ${LANG_ENGLISH} "marvo32 Reference"
LangString LinkSamples ${LANG_ENGLISH} "Sample Programs"
LangString LinkUninstall ${LANG_ENGLISH} "Uninstall ${PRODUCT_NAME}"
LangString RemovingEarlier ${LANG_ENGLISH} "Removing the earlier installation from $2"
