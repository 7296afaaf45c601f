xml
options
   title name="Network" /
   title name="Network" /
   title name="" /
   title name="Old" /
   line value="#" /
   line value="#note" /
   entry name="key"
      option value='value'/
   /entry
   entry name="url: a"
      option value='b'/
   /entry
   entry name="a"
      option value=''/
   /entry
   entry name=""
      option value='x'/
   /entry
   entry name="path"
      option value='&quot;c;d&quot;'/
   /entry
   entry name="x"
      option value='&lt;1 &amp; 2&gt;'/
   /entry
   entry name="v"
      option value='quoted'/
   /entry
   entry name="a"
      option value='b'/
   /entry
   entry name="a"
      option value='b'/
      comment value='c'/
   /entry
   comment value="a - - b" /
   entry name="a"
      option value='b'/
   /entry
   entry name="k"
      option value='v'/
   /entry
   entry name="list"
      option value='1'/
      option value='2'/
   /entry
   line value="no rule here" /
   entry name="name"
      option value=''/
   /entry
/xml
/options