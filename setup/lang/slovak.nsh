; The setup's own Slovak texts (UTF-8; makensis writes them in code page 1250).
LangString CannotWrite ${LANG_SLOVAK} "Inštalátor nemôže zapisovať do priečinka$\r$\n$INSTDIR$\r$\n$\r$\nVyberte iný priečinok alebo sa uistite, že doň možno zapisovať a na disku je dosť miesta."
LangString CannotWriteDetail ${LANG_SLOVAK} "Inštalátor nemôže zapisovať do priečinka $INSTDIR"
LangString CannotRegister ${LANG_SLOVAK} "Inštalátor nemôže zapísať ${PRODUCT_NAME} do zoznamu Pridanie alebo odstránenie programov. Spustite ho ako správca."
LangString CannotLink ${LANG_SLOVAK} "Inštalátor nemôže vytvoriť skupinu ${PRODUCT_NAME} v ponuke Štart."
LangString LinkReference ${LANG_SLOVAK} "Referenčná príručka marvo32"
LangString LinkSamples ${LANG_SLOVAK} "Ukážkové programy"
LangString LinkUninstall ${LANG_SLOVAK} "Odinštalovať ${PRODUCT_NAME}"
LangString RemovingEarlier ${LANG_SLOVAK} "Odstraňuje sa predchádzajúca inštalácia z priečinka $2"
