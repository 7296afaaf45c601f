xml
options
   title name="General" /
   line value="#" /
   line value="#note" /
   line value=";" /
   line value="x;y=1" /
   line value="no-debsig" /
   entry name="key"
      option value='a	b'/
      comment value='c	d'/
   /entry
   title name="x	y" /
   comment value="'q' &amp; &quot;r&quot; - - s" /
   entry name="split"
      option value='1'/
      option value='2'/
   /entry
   line value="rest -- 'x'" /
/xml
/options