# The trade feed: the trading windows' one listener of the trading library (tarn_trade_feed, no
# Qt): the records the notifications carry applied by identity, one change set per window.
tarn_library(tarn_trade_feed
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/feed/trade_feed.cpp
  DEPS tarn_data tarn_platform
)
