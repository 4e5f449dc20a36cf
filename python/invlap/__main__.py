"""`python -m invlap`: the invlap command."""

import sys

from invlap.cli import main

sys.exit(main())
