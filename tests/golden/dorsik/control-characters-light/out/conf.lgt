xml
options
   title name="General" /
   entry name="bell"
      option value='ab'/
   /entry
   entry name="vtab"
      option value='xy'/
   /entry
   entry name="feed"
      option value='z'/
   /entry
/xml
/options